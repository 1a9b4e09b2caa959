<Design>
	<DisplayItems>
		<DisplayItem>
			<Position X="0" Y="0" Width="20" Height="1"/>
			<Appearance Mode="RightToLeft" ScrollDelay="300"/>
			<Data Mode="Static" Text="Network traffic of all interfaces but the loopback  -  "/>
		</DisplayItem>
		<DisplayItem>
			<Position X="0" Y="1" Width="4" Height="1"/>
			<Appearance Mode="Static" Allignment="Left"/>
			<Data Mode="Static" Text="In"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="4" Y="1" Width="10" Height="1"/>
			<Appearance Mode="Static" Allignment="Right"/>
			<Data Mode="Data" Name="Network.All.ReceivedPerSecond"/>
			<Convert From="Bytes" To="KiloBytes"/>
			<Formatting Digits="1"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="14" Y="1" Width="6" Height="1"/>
			<Appearance Mode="Static" Allignment="Left"/>
			<Data Mode="Static" Text=" KB/s"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="0" Y="2" Width="4" Height="1"/>
			<Appearance Mode="Static" Allignment="Left"/>
			<Data Mode="Static" Text="Out"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="4" Y="2" Width="10" Height="1"/>
			<Appearance Mode="Static" Allignment="Right"/>
			<Data Mode="Data" Name="Network.All.SentPerSecond"/>
			<Convert From="Bytes" To="KiloBytes"/>
			<Formatting Digits="1"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="14" Y="2" Width="6" Height="1"/>
			<Appearance Mode="Static" Allignment="Left"/>
			<Data Mode="Static" Text=" KB/s"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="0" Y="3" Width="6" Height="1"/>
			<Appearance Mode="Static" Allignment="Left"/>
			<Data Mode="Static" Text="Total"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="6" Y="3" Width="11" Height="1"/>
			<Appearance Mode="Static" Allignment="Right"/>
			<Data Mode="Data" Name="Network.All.Received"/>
			<Convert From="Bytes" To="MegaBytes"/>
			<Formatting Digits="1"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="17" Y="3" Width="3" Height="1"/>
			<Appearance Mode="Static" Allignment="Left"/>
			<Data Mode="Static" Text=" MB"/>
		</DisplayItem>
	</DisplayItems>
	<Background FileName=""/>
</Design>
