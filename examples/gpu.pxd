<Design>
	<DisplayItems>
		<DisplayItem>
			<Position X="0" Y="0" Width="20" Height="1"/>
			<Appearance Mode="RightToLeft" ScrollDelay="300"/>
			<Data Mode="Data" Name="GPU.0.Name"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="0" Y="1" Width="4" Height="1"/>
			<Appearance Mode="Static" Allignment="Left"/>
			<Data Mode="Static" Text="GPU"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="4" Y="1" Width="4" Height="1"/>
			<Appearance Mode="Static" Allignment="Right"/>
			<Data Mode="Data" Name="GPU.0.Busy"/>
			<Formatting Digits="0"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="8" Y="1" Width="2" Height="1"/>
			<Appearance Mode="Static" Allignment="Left"/>
			<Data Mode="Static" Text="%"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="10" Y="1" Width="10" Height="1"/>
			<Appearance Mode="HorizontalBar" HBarMax="100"/>
			<Data Mode="Data" Name="GPU.0.Busy"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="0" Y="2" Width="4" Height="1"/>
			<Appearance Mode="Static" Allignment="Right"/>
			<Data Mode="Data" Name="GPU.0.Temperature"/>
			<Formatting Digits="0"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="4" Y="2" Width="3" Height="1"/>
			<Appearance Mode="Static" Allignment="Left"/>
			<Data Mode="Static" Text="C"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="7" Y="2" Width="5" Height="1"/>
			<Appearance Mode="Static" Allignment="Right"/>
			<Data Mode="Data" Name="GPU.0.Power"/>
			<Formatting Digits="0"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="12" Y="2" Width="2" Height="1"/>
			<Appearance Mode="Static" Allignment="Left"/>
			<Data Mode="Static" Text="W"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="14" Y="2" Width="6" Height="1"/>
			<Appearance Mode="Static" Allignment="Right"/>
			<Data Mode="Data" Name="GPU.0.Fan"/>
			<Formatting Digits="0"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="0" Y="3" Width="4" Height="1"/>
			<Appearance Mode="Static" Allignment="Left"/>
			<Data Mode="Static" Text="MEM"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="4" Y="3" Width="6" Height="1"/>
			<Appearance Mode="Static" Allignment="Right"/>
			<Data Mode="Data" Name="GPU.0.MemoryUsed"/>
			<Convert From="Bytes" To="MegaBytes"/>
			<Formatting Digits="0"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="10" Y="3" Width="4" Height="1"/>
			<Appearance Mode="Static" Allignment="Left"/>
			<Data Mode="Static" Text=" MB"/>
		</DisplayItem>
		<DisplayItem>
			<Position X="14" Y="3" Width="6" Height="1"/>
			<Appearance Mode="Static" Allignment="Right"/>
			<Data Mode="Data" Name="GPU.0.Clock"/>
			<Formatting Digits="0"/>
		</DisplayItem>
	</DisplayItems>
	<Background FileName=""/>
</Design>
