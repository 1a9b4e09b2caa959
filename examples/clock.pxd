<Design UpdateFreq="200">
	<DisplayItems>
		<DisplayItem>
			<Position X="0" Y="0" Width="20" Height="1"/>
			<Appearance Mode="Static" Allignment="Center"/>
			<Data Mode="Data" Name="Time"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="0" Y="1" Width="20" Height="1"/>
			<Appearance Mode="Static" Allignment="Center"/>
			<Data Mode="Data" Name="Date"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="0" Y="2" Width="20" Height="1"/>
			<Appearance Mode="Static" Allignment="Center"/>
			<Data Mode="Data" Name="HostName"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="0" Y="3" Width="3" Height="1"/>
			<Appearance Mode="Static" Allignment="Left"/>
			<Data Mode="Static" Text="up"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="3" Y="3" Width="17" Height="1"/>
			<Appearance Mode="Static" Allignment="Right"/>
			<Data Mode="Data" Name="Uptime.Text"/>
		</DisplayItem>
	</DisplayItems>
	<Background FileName=""/>
</Design>
